#pragma once
// A PDF of several pages of text lines with an outline (bookmarks, nested as given) and
// Title and Author in its Info dictionary, written byte by byte with a correct
// cross-reference table, so that poppler reads the outline and pdftotext the text.

#include <cstdio>
#include <string>
#include <vector>

namespace sonoleaf::testing {

struct OutlineItem {
    std::string title;  // printable ASCII without parentheses or backslashes
    int page = 1;       // 1-based
    std::vector<OutlineItem> children;
};

class OutlinePdfWriter {
  public:
    std::string Write(const std::vector<std::vector<std::string>>& pages,
                      const std::vector<OutlineItem>& outline, const std::string& title,
                      const std::string& author) {
        const int catalog = Add(""), tree = Add(""), outlines = Add("");
        const int font = Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        const int info = Add("<< /Title (" + title + ") /Author (" + author + ") >>");
        std::string kids;
        for (const std::vector<std::string>& lines : pages) {
            std::string stream = "BT /F1 14 Tf 72 740 Td";
            for (const std::string& line : lines) stream += " (" + line + ") Tj 0 -24 Td";
            stream += " ET";
            const int contents = Add("<< /Length " + std::to_string(stream.size()) +
                                     " >>\nstream\n" + stream + "\nendstream");
            pageObjects_.push_back(Add("<< /Type /Page /Parent " + Ref(tree) +
                                       " /MediaBox [0 0 612 792] /Contents " + Ref(contents) +
                                       " /Resources << /Font << /F1 " + Ref(font) + " >> >> >>"));
            kids += Ref(pageObjects_.back()) + " ";
        }
        Set(tree,
            "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
        Set(outlines, "<< /Type /Outlines" + Items(outline, outlines) + " >>");
        Set(catalog, "<< /Type /Catalog /Pages " + Ref(tree) +
                         (outline.empty() ? "" : " /Outlines " + Ref(outlines)) + " >>");
        return Serialise(catalog, info);
    }

  private:
    static std::string Ref(int object) { return std::to_string(object) + " 0 R"; }
    int Add(std::string body) {
        objects_.push_back(std::move(body));
        return static_cast<int>(objects_.size());
    }
    void Set(int object, std::string body) {
        objects_[static_cast<std::size_t>(object - 1)] = std::move(body);
    }

    // The items' objects, linked to each other and to `parent`; the keys the parent
    // needs to find them.
    std::string Items(const std::vector<OutlineItem>& items, int parent) {
        if (items.empty()) return "";
        std::vector<int> numbers;
        for (std::size_t i = 0; i < items.size(); ++i) numbers.push_back(Add(""));
        for (std::size_t i = 0; i < items.size(); ++i) {
            std::string body =
                "<< /Title (" + items[i].title + ") /Parent " + Ref(parent) + " /Dest [" +
                Ref(pageObjects_[static_cast<std::size_t>(items[i].page - 1)]) + " /XYZ 0 792 0]";
            if (i > 0) body += " /Prev " + Ref(numbers[i - 1]);
            if (i + 1 < items.size()) body += " /Next " + Ref(numbers[i + 1]);
            Set(numbers[i], body + Items(items[i].children, numbers[i]) + " >>");
        }
        return " /First " + Ref(numbers.front()) + " /Last " + Ref(numbers.back()) + " /Count " +
               std::to_string(items.size());
    }

    std::string Serialise(int catalog, int info) const {
        std::string pdf = "%PDF-1.4\n";
        std::vector<std::size_t> offsets;
        for (std::size_t i = 0; i < objects_.size(); ++i) {
            offsets.push_back(pdf.size());
            pdf += std::to_string(i + 1) + " 0 obj\n" + objects_[i] + "\nendobj\n";
        }
        const std::size_t xref = pdf.size();
        pdf += "xref\n0 " + std::to_string(objects_.size() + 1) + "\n0000000000 65535 f \n";
        for (const std::size_t offset : offsets) {
            char entry[32];
            std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
            pdf += entry;
        }
        return pdf + "trailer\n<< /Size " + std::to_string(objects_.size() + 1) + " /Root " +
               Ref(catalog) + " /Info " + Ref(info) + " >>\nstartxref\n" + std::to_string(xref) +
               "\n%%EOF\n";
    }

    std::vector<std::string> objects_;
    std::vector<int> pageObjects_;
};

}  // namespace sonoleaf::testing
