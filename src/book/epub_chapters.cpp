#include "book/epub_chapters.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

#include "book/text_lines.h"

namespace sonoleaf::book {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::size_t kMaxTitleBytes = 300;
// Leading headings that may repeat the title: a part's, a chapter's number and name.
constexpr std::size_t kMaxRepeatedHeadings = 4;

// A passage's title, and the entries' own titles joined into it ("Part II" and
// "Chapter 5" in "Part II. Chapter 5"), each of which a heading may repeat.
struct Title {
    std::string text;
    std::vector<std::string> parts;
};

Title EntryTitle(std::string_view text) {
    std::string line = CollapseSpaces(text);
    return {line, {line}};
}

// Where a table-of-contents entry starts, and what it is.
struct Start {
    Title title;
    std::size_t document = 0;
    std::size_t block = 0;
    std::size_t parent = kNone;  // index of the entry above it that has a place
    bool hasChildren = false;
};

struct Draft {
    Title title;
    std::size_t start = kNone;  // kNone: the text before the first entry
    std::vector<const TextBlock*> blocks;
};

Title JoinTitles(const Title& first, const Title& second) {
    if (first.text.empty()) return second;
    // Bounded, so that a long run of entries at one place cannot grow it without end.
    if (second.text.empty() || Comparable(first.text) == Comparable(second.text) ||
        first.text.size() > kMaxTitleBytes)
        return first;
    const char last = first.text.back();
    Title joined = first;
    joined.text += (last == '.' || last == ':' || last == '!' || last == '?' ? " " : ". ");
    joined.text += second.text;
    joined.parts.insert(joined.parts.end(), second.parts.begin(), second.parts.end());
    return joined;
}

class Flattener {
  public:
    Flattener(const std::vector<std::string>& spine, const std::vector<DocumentText>& texts)
        : texts_(texts) {
        for (std::size_t i = 0; i < spine.size(); ++i) documents_.emplace(spine[i], i);
    }

    // Depth first; an entry without a place in the reading order hands its title down
    // to its first child that has one.
    void Flatten(const std::vector<TocEntry>& entries, Title& carried, std::size_t parent) {
        for (const TocEntry& entry : entries) {
            const auto document =
                entry.target ? documents_.find(entry.target->document) : documents_.end();
            if (document == documents_.end()) {
                Title handed = JoinTitles(carried, EntryTitle(entry.title));
                carried = {};
                Flatten(entry.children, handed, parent);
                continue;
            }
            Start start;
            start.title = JoinTitles(carried, EntryTitle(entry.title));
            carried = {};
            start.document = document->second;
            if (!entry.target->fragment.empty()) {
                const auto& anchors = texts_[document->second].anchors;
                if (const auto anchor = anchors.find(entry.target->fragment);
                    anchor != anchors.end())
                    start.block = anchor->second;
            }
            start.parent = parent;
            if (parent != kNone) starts_[parent].hasChildren = true;
            starts_.push_back(std::move(start));
            Title none;
            Flatten(entry.children, none, starts_.size() - 1);
        }
    }

    std::vector<Start>& Starts() { return starts_; }

  private:
    const std::vector<DocumentText>& texts_;
    std::map<std::string, std::size_t, std::less<>> documents_;
    std::vector<Start> starts_;
};

// The blocks of the reading order dealt out to the entries by where they start.
std::vector<Draft> DealBlocks(const std::vector<DocumentText>& texts,
                              const std::vector<Start>& starts) {
    std::vector<std::size_t> order(starts.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::tie(starts[a].document, starts[a].block) <
               std::tie(starts[b].document, starts[b].block);
    });
    std::vector<Draft> drafts(1);
    std::size_t next = 0;
    for (std::size_t document = 0; document < texts.size(); ++document) {
        const std::vector<TextBlock>& blocks = texts[document].blocks;
        for (std::size_t block = 0; block <= blocks.size(); ++block) {
            while (next < order.size() &&
                   std::tie(starts[order[next]].document, starts[order[next]].block) <=
                       std::tie(document, block)) {
                drafts.push_back({starts[order[next]].title, order[next], {}});
                ++next;
            }
            if (block < blocks.size()) drafts.back().blocks.push_back(&blocks[block]);
        }
    }
    return drafts;
}

// The title as a listener hears it, whole and each entry's part of it.
std::vector<std::string> TitleForms(const Title& title) {
    std::vector<std::string> forms;
    for (const std::string& text : title.parts) {
        if (std::string form = Comparable(text); !form.empty()) forms.push_back(std::move(form));
    }
    if (std::string whole = Comparable(title.text); !whole.empty()) forms.push_back(whole);
    return forms;
}

bool IsOneOf(const std::string& form, const std::vector<std::string>& forms) {
    return std::find(forms.begin(), forms.end(), form) != forms.end();
}

// How many of the first blocks only say the title again: headings (or paragraphs styled
// as headings) that say the whole title or an entry's whole part of it, alone or a few
// in a row ("Chapter 1" then "Loomings" for "Chapter 1: Loomings"). Words of the title
// in the book's own paragraphs ("No." in "No Way Out") are the book's.
std::size_t RepeatedHeadings(const std::vector<const TextBlock*>& blocks, const Title& title) {
    const std::vector<std::string> forms = TitleForms(title);
    std::size_t repeated = 0;
    std::string said;  // the headings since the last whole title or part
    for (std::size_t i = 0; i < blocks.size() && i < kMaxRepeatedHeadings; ++i) {
        if (!blocks[i]->titleLike) break;
        const std::string form = Comparable(blocks[i]->text);
        if (form.empty()) break;
        said += form;
        if (IsOneOf(said, forms)) {
            repeated = i + 1;
            said.clear();
        } else if (std::none_of(forms.begin(), forms.end(), [&](const std::string& whole) {
                       return whole.starts_with(said);
                   })) {
            break;
        }
    }
    return repeated;
}

// A part page: nothing but headings and its own title.
bool OnlyHeadings(const Draft& draft) {
    const std::vector<std::string> forms = TitleForms(draft.title);
    return std::all_of(draft.blocks.begin(), draft.blocks.end(), [&](const TextBlock* block) {
        return block->heading || IsOneOf(Comparable(block->text), forms);
    });
}

// An empty chapter (two entries at one place) and a part page that is only its heading
// hand their titles, and a part page its heading, to the chapter after them.
std::vector<Draft> MergeEmptyChapters(std::vector<Draft> drafts, const std::vector<Start>& starts) {
    std::vector<Draft> merged;
    for (std::size_t i = 0; i < drafts.size(); ++i) {
        Draft& draft = drafts[i];
        Draft* following = i + 1 < drafts.size() ? &drafts[i + 1] : nullptr;
        const bool isEntry = draft.start != kNone;
        if (isEntry && following != nullptr && draft.blocks.empty()) {
            following->title = JoinTitles(draft.title, following->title);
            continue;
        }
        if (isEntry && following != nullptr && starts[draft.start].hasChildren &&
            OnlyHeadings(draft) && starts[following->start].parent == draft.start) {
            following->title = JoinTitles(draft.title, following->title);
            following->blocks.insert(following->blocks.begin(), draft.blocks.begin(),
                                     draft.blocks.end());
            continue;
        }
        if (!draft.blocks.empty()) merged.push_back(std::move(draft));
    }
    return merged;
}

std::string FirstHeading(const Draft& draft) {
    for (const TextBlock* block : draft.blocks) {
        if (block->heading) return CollapseSpaces(block->text);
    }
    return {};
}

Passage ToPassage(const Draft& draft, std::string_view bookTitle) {
    std::string title = draft.title.text;
    if (title.empty()) title = FirstHeading(draft);
    if (title.empty() && draft.start == kNone) title = std::string(bookTitle);
    // A document without heading: its first line, when short, is its title, said once.
    bool firstLineIsTitle = false;
    if (title.empty()) {
        const std::string first = CollapseSpaces(draft.blocks.front()->text);
        firstLineIsTitle = first.size() <= kMaxTitleBytes;
        title = firstLineIsTitle || bookTitle.empty() ? first : std::string(bookTitle);
    }
    title = ShortLine(title, kMaxTitleBytes);

    Passage passage;
    passage.title = title;
    Title said = draft.title;
    if (said.text.empty()) said = {title, {}};
    const std::size_t first = firstLineIsTitle ? 1 : RepeatedHeadings(draft.blocks, said);
    for (std::size_t i = first; i < draft.blocks.size(); ++i)
        passage.paragraphs.push_back(draft.blocks[i]->text);
    return passage;
}

}  // namespace

std::vector<Passage> EpubChapters(const std::vector<std::string>& spine,
                                  const std::vector<DocumentText>& texts,
                                  const std::vector<TocEntry>& toc, std::string_view bookTitle) {
    Flattener flattener(spine, texts);
    Title none;
    flattener.Flatten(toc, none, kNone);
    std::vector<Start>& starts = flattener.Starts();
    if (starts.empty()) {
        // No usable table of contents: each document a chapter, its title found later.
        for (std::size_t document = 0; document < texts.size(); ++document)
            starts.push_back({Title(), document, 0, kNone, false});
    }
    std::vector<Passage> passages;
    for (const Draft& draft : MergeEmptyChapters(DealBlocks(texts, starts), starts))
        passages.push_back(ToPassage(draft, bookTitle));
    return passages;
}

}  // namespace sonoleaf::book
