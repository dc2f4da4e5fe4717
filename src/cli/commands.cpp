#include "cli/commands.h"

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_host.h"
#include "cli/inputs.h"
#include "cli/job_run.h"
#include "cli/voice_list.h"
#include "lists/source_file.h"
#include "lists/title_scan.h"
#include "platform/text/output_names.h"
#include "platform/text/text_convert.h"
#include "speech/speech_engine.h"

namespace sonoleaf::cli {
namespace {

namespace ss = speech_service;

int Fail(const std::string& error, int status) {
    std::fprintf(stderr, "sonoleaf-cli: %s\n%s", error.c_str(),
                 status == kExitUsage ? UsageText() : "");
    return status;
}

int ShowVoices(ss::SpeechService& service) {
    for (const VoiceEntry& voice : ListVoices(service)) {
        std::printf("%s\t%s\t%s\n", text::ToNarrow(voice.name).c_str(),
                    text::ToNarrow(voice.gender).c_str(), text::ToNarrow(voice.language).c_str());
    }
    return 0;
}

// The list's files, for its progress: as many as the engine will number.
ListFiles ListFilesOf(const CliOptions& options) {
    const std::u16string source = text::ToWide(options.operands[0]);
    ListFiles files;
    files.folder = options.operands[1];
    files.stem = text::ToNarrow(text::FileStem(source));
    files.extension = text::ToNarrow(SpeechEngine::AudioExtension(options.audioType));
    files.inFlight = options.jobs;
    if (options.byTitles) {
        files.first = options.start;
        files.total = CountTitlePairs(ReadAllBytes(source));
    } else {
        const SourceFile file(source);
        const auto length = static_cast<std::uint64_t>(options.length);
        files.total = static_cast<std::int64_t>((file.SizeHint() + length - 1) / length);
    }
    return files;
}

// The job behind the command, with its controls filled in as a user would.
JobRun PrepareJob(const CliOptions& options, const std::string& textFile, CliJobHost& host) {
    JobRun run;
    const auto operand = [&](std::size_t i) { return text::ToWide(options.operands[i]); };
    switch (options.command) {
        case Command::Speak:
            run.job = Job::SpeakFile;
            host.SetControlText(kTextSourceBrowse, text::ToWide(textFile));
            break;
        case Command::Render:
            run.job = Job::FileToAudio;
            run.singleFile = true;
            run.usesHelpers = true;
            host.SetControlText(kTextSourceBrowse, operand(0));
            host.SetControlText(kAudioFolderBrowse, operand(1));
            break;
        case Command::List:
            run.job = options.byTitles ? Job::TitleList : Job::LengthList;
            run.usesHelpers = true;
            run.progress = ListFilesOf(options);
            host.SetControlText(kTextSourceBrowse, operand(0));
            host.SetControlText(kAudioFolderBrowse, operand(1));
            host.SetControlText(kCharLengthEdit, text::ToWide(std::to_string(options.length)));
            host.SetControlText(kStartNumberEdit, text::ToWide(std::to_string(options.start)));
            break;
        case Command::Pdf:
            run.job = Job::PdfToText;
            host.SetControlText(kPdfSourceBrowse, operand(0));
            host.SetControlText(kTextFolderBrowse, operand(1));
            break;
        case Command::Voices:
            break;  // no job: answered by RunCommand itself
    }
    return run;
}

void SetProfile(const CliOptions& options, CliJobHost& host) {
    VoiceProfile& profile = host.Profile();
    profile.voiceGender = options.voiceGender;
    profile.audioType = options.audioType;
    profile.volume = options.volume;
    profile.speed = options.speed;
    host.Engine().SetVoiceName(text::ToWide(options.voiceName));
}

}  // namespace

int RunCommand(const CliOptions& options) {
    const std::shared_ptr<ss::SpeechService> service = ss::CreateSystemSpeechService();
    if (options.command == Command::Voices) return ShowVoices(*service);
    if (!options.voiceName.empty() &&
        !HasVoiceNamed(ListVoices(*service), text::ToWide(options.voiceName)))
        return Fail("no voice named '" + options.voiceName + "' (see: sonoleaf-cli voices)",
                    kExitUsage);

    StdinCopy stdinCopy;
    std::string textFile;
    std::string error;
    if (options.command == Command::Speak &&
        (options.operands.empty() || options.operands[0] == "-")) {
        textFile = stdinCopy.Make(error);
    } else {
        textFile = options.operands[0];
        error = CheckReadable(textFile);
    }
    if (error.empty() && options.operands.size() == 2) error = PrepareFolder(options.operands[1]);
    if (!error.empty()) return Fail(error, kExitFailed);

    SpeechEngine engine(service);
    CliJobHost host(engine);
    SetProfile(options, host);
    return RunJob(host, options, PrepareJob(options, textFile, host));
}

}  // namespace sonoleaf::cli
