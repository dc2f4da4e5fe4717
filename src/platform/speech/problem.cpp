#include "platform/speech/problem.h"

#include <utility>

namespace sonoleaf::speech_service {
namespace {
thread_local std::string t_problem;
}

void NoteProblem(std::string detail) {
    t_problem = std::move(detail);
}

std::string TakeProblem() {
    return std::exchange(t_problem, std::string());
}

}  // namespace sonoleaf::speech_service
