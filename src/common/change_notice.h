#pragma once

namespace comlookup {

// What a look knows of one registry change notification.
struct NoticeState {
    bool registered = false;  // the last registration was made: its key and event were had and the call succeeded
    bool fired = false;       // its event is set
    bool key_gone = false;    // its key was deleted under it, which Wine does not signal
};

// Whether to register the notification again before a walk. A registration
// fires once; another made with the same key and event while it still waits
// adds a wait that the registry keeps until the process ends (Microsoft's
// documentation calls it a leak; Wine's server keeps each), so a quiet watch
// must hold one however many forced walks it makes. One that fired, was
// never made, or lost its key watches nothing any more.
constexpr bool register_again(const NoticeState& notice) noexcept {
    return !notice.registered || notice.fired || notice.key_gone;
}

}  // namespace comlookup
