// Temporary stand-in until the real service exists; deleted by its implementer.
#include "platform/speech/speech_service.h"
namespace sonoleaf::speech_service {
std::shared_ptr<SpeechService> CreateSystemSpeechService() { return {}; }
}
