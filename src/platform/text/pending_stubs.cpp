// Temporary stand-ins until the text helpers exist; deleted by their implementer.
#include "platform/text/byte_text.h"
#include "platform/text/output_names.h"
#include "platform/text/text_convert.h"
namespace sonoleaf::text {
std::u16string ToWide(std::string_view) { return {}; }
std::string ToNarrow(std::u16string_view) { return {}; }
std::u16string MakeTimeStamp() { return {}; }
std::u16string MakeTimeStamp(std::time_t) { return {}; }
std::u16string FileStem(std::u16string_view) { return {}; }
std::u16string NumberSuffix(std::int32_t) { return {}; }
std::u16string OutputBaseName(std::u16string_view, const std::function<std::u16string()>&) { return {}; }
std::u16string OutputBaseName(std::u16string_view) { return {}; }
char16_t ByteToChar(unsigned char b) { return b; }
std::u16string BytesToText(std::string_view) { return {}; }
std::string TextToBytes(std::u16string_view) { return {}; }
std::u16string DecodeTextFile(std::string_view) { return {}; }
std::string TextForSynthesis(std::u16string_view) { return {}; }
}
