#pragma once
// The detail behind the last failure on this thread (the sound server's own words, a
// synthesizer's complaint), kept so that a message can tell the user why rather than
// only that something failed. Results stay HRESULT-like; this is what they cannot say.

#include <string>

namespace sonoleaf::speech_service {

void NoteProblem(std::string detail);
// The detail noted last on this thread, cleared by reading it; empty when none.
std::string TakeProblem();

}  // namespace sonoleaf::speech_service
