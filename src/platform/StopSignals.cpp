#include "platform/StopSignals.h"

#include <signal.h>

#include <cstring>

namespace ts {
namespace {

std::atomic<bool> s_stop{false};

void OnStopSignal(int) {
    s_stop = true;
}

}  // namespace

void InstallStopSignals() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnStopSignal;
    sa.sa_flags = SA_RESETHAND;  // the second signal gets the default: the process ends
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &sa, nullptr);
}

std::atomic<bool>& StopSignalled() {
    return s_stop;
}

}  // namespace ts
