#include "cli/commands.h"

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_host.h"
#include "cli/inputs.h"
#include "cli/job_run.h"
#include "jobs/job_host.h"
#include "lists/list_jobs.h"
#include "pdf/pdf_job.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"
#include "speech/speech_engine.h"
#include "speech/speech_jobs.h"
#include "speech/voice_list.h"

namespace sonoleaf::cli {
namespace {

namespace ss = speech_service;

int Fail(const std::string& error, int status) {
    std::fprintf(stderr, "sonoleaf-cli: %s\n%s", error.c_str(),
                 status == kExitUsage ? UsageText().c_str() : "");
    return status;
}

int ShowVoices(ss::SpeechService& service) {
    const std::vector<VoiceEntry> voices = ListVoices(service);
    if (voices.empty()) {
        return Fail("no speech synthesizer works here: " + ss::InstalledEnginesProblem(),
                    kExitFailed);
    }
    for (const VoiceEntry& voice : voices) {
        std::printf("%s\t%s\t%s\n", text::ToNarrow(voice.name).c_str(),
                    text::ToNarrow(voice.gender).c_str(), text::ToNarrow(voice.language).c_str());
    }
    return 0;
}

// The job behind the command, with its controls filled in as a user would.
JobRun PrepareJob(const CliOptions& options, const std::string& textFile, CliJobHost& host) {
    JobRun run;
    const auto operand = [&](std::size_t i) { return text::ToWide(options.operands[i]); };
    switch (options.command) {
        case Command::Speak:
            run.procedure = [](CliJobHost& h) { SpeakFileJob(h); };
            host.SetControlText(kTextSourceBrowse, text::ToWide(textFile));
            break;
        case Command::Render:
            run.procedure = [](CliJobHost& h) { FileToAudioJob(h); };
            run.singleFile = true;
            run.usesHelpers = true;
            host.SetControlText(kTextSourceBrowse, operand(0));
            host.SetControlText(kAudioFolderBrowse, operand(1));
            break;
        case Command::List:
            run.procedure = options.byTitles ? [](CliJobHost& h) { TitleListJob(h); }
                                             : [](CliJobHost& h) { LengthListJob(h); };
            run.usesHelpers = true;
            host.SetControlText(kTextSourceBrowse, operand(0));
            host.SetControlText(kAudioFolderBrowse, operand(1));
            host.SetControlText(kCharLengthEdit, text::ToWide(std::to_string(options.length)));
            host.SetControlText(kStartNumberEdit, text::ToWide(std::to_string(options.start)));
            host.AnswerResume(options.resume);
            break;
        case Command::Pdf:
            run.procedure = [](CliJobHost& h) { PdfToTextJob(h); };
            host.SetControlText(kPdfSourceBrowse, operand(0));
            host.SetControlText(kTextFolderBrowse, operand(1));
            host.SetChecked(kPdfChaptersCheck, options.chapters);
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
    profile.subtitles = options.subtitles;
    profile.voiceName.Store(text::ToWide(options.voiceName));
    host.Engine().UsePronunciationsFile(options.pronunciations);
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
    if (error.empty() && !options.pronunciations.empty())
        error = CheckReadable(options.pronunciations);
    if (error.empty() && options.operands.size() == 2) error = PrepareFolder(options.operands[1]);
    if (!error.empty()) return Fail(error, kExitFailed);

    SpeechEngine engine(service);
    CliJobHost host(engine);
    SetProfile(options, host);
    return RunJob(host, options, PrepareJob(options, textFile, host));
}

}  // namespace sonoleaf::cli
