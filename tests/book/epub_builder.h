#pragma once
// Small EPUBs written with libzip by the tests and the benchmark, so that each case's
// book is made where it is used rather than kept as a file.

#include <zip.h>

#include <string>
#include <vector>

namespace sonoleaf::testing {

struct ZipFile {
    std::string name;
    std::string bytes;
};

// The files in order, the first one stored rather than compressed (as an EPUB's
// mimetype must be). False when libzip refuses.
inline bool WriteZip(const std::string& path, const std::vector<ZipFile>& files) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) return false;
    for (const ZipFile& file : files) {
        zip_source_t* source = zip_source_buffer(archive, file.bytes.data(), file.bytes.size(), 0);
        const zip_int64_t index =
            source ? zip_file_add(archive, file.name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        if (&file == &files.front()) zip_set_file_compression(archive, index, ZIP_CM_STORE, 0);
    }
    return zip_close(archive) == 0;
}

inline std::string Xhtml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<html xmlns=\"http://www.w3.org/1999/"
           "xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\"><head><title>Page</title>"
           "<style>p { margin: 0 }</style></head><body>" +
           body + "</body></html>";
}

// A package document: `items` are manifest lines, `spine` itemref lines.
inline std::string Opf(const std::string& items, const std::string& spine,
                       const std::string& spineAttributes = "") {
    return "<?xml version=\"1.0\"?>\n<package xmlns=\"http://www.idpf.org/2007/opf\" "
           "version=\"3.0\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
           "<dc:title>Book Title</dc:title><dc:creator>Ann Writer</dc:creator>"
           "<dc:language>en-GB</dc:language></metadata><manifest>" +
           items + "</manifest><spine" + spineAttributes + ">" + spine + "</spine></package>";
}

inline std::string Item(const std::string& id, const std::string& href,
                        const std::string& extra = "") {
    return "<item id=\"" + id + "\" href=\"" + href + "\" media-type=\"application/xhtml+xml\"" +
           extra + "/>";
}

// mimetype and container.xml (naming OEBPS/content.opf) ahead of `content`.
inline std::vector<ZipFile> EpubFiles(std::vector<ZipFile> content) {
    std::vector<ZipFile> files = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         "<?xml version=\"1.0\"?><container version=\"1.0\" "
         "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile "
         "full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>"
         "</rootfiles></container>"}};
    files.insert(files.end(), content.begin(), content.end());
    return files;
}

}  // namespace sonoleaf::testing
