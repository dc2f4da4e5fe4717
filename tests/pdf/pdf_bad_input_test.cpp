// PDF files and folders with awkward names, and paths of 4,000 bytes, through the
// real converter: each comes out as its text file, named by the rule, and the message
// names it as written.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pdf/minimal_pdf.h"
#include "platform/text/text_convert.h"
#include "support/awkward_names.h"
#include "support/fake_job_host.h"
#include "support/job_table.h"
#include "support/recording_alerts.h"
#include "support/recording_speech_service.h"
#include "support/temp_dir.h"

namespace sonoleaf {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PdfBadInput, AwkwardNamesAndLongPathsAreConverted) {
    testing::TempDir dir;
    struct Place {
        std::string label;
        fs::path folder;
        std::string stem;
    };
    std::vector<Place> places;
    for (const auto& [label, stem] : testing::AwkwardNames())
        places.push_back({label, dir.Path() / fs::path(stem), stem});
    places.push_back(
        {"4,000-byte path", testing::FolderOfPathLength(dir.Path() / "deep", 3990), "rp"});

    testing::AlertCapture alerts;
    testing::FakeJobHost host(std::make_shared<testing::RecordingSpeechService>());
    for (const Place& place : places) {
        SCOPED_TRACE(place.label);
        fs::create_directories(place.folder / "text");
        const fs::path pdf = place.folder / fs::path(place.stem + ".pdf");
        std::ofstream(pdf, std::ios::binary) << testing::MinimalPdf("Converted fine");
        alerts->Clear();
        host.SetControlText(kPdfSourceBrowse, pdf.u16string());
        host.SetControlText(kTextFolderBrowse, (place.folder / "text").u16string());
        PdfToTextJob(host);
        const fs::path text = place.folder / "text" / fs::path(place.stem + ".txt");
        EXPECT_EQ(alerts->Texts(), std::vector<std::string>{"Converted File  is Saved to: \"" +
                                                            text.string() + "\""});
        EXPECT_NE(ReadAll(text).find("Converted fine"), std::string::npos);
        EXPECT_EQ(host.BusyFlag(Job::PdfToText), 0);
    }
}

}  // namespace
}  // namespace sonoleaf
