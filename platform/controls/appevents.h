#pragma once
// A component that sees the application's queued messages before they are dispatched.
#include <functional>

#include "platform/core/classes.h"
#include "platform/core/messages.h"

namespace platform {

// Every live TApplicationEvents gets each message the application's loop takes from the
// queue (posted messages and input: keys, characters, mouse), oldest object first. A
// handler that sets handled keeps the message from the later handlers and from its window.
class TApplicationEvents : public TComponent {
public:
    explicit TApplicationEvents(TComponent* owner);
    ~TApplicationEvents() override;
    TApplicationEvents(const TApplicationEvents&) = delete;
    TApplicationEvents& operator=(const TApplicationEvents&) = delete;

    std::function<void(MSG& msg, bool& handled)> OnMessage;
};

// Offers msg to every TApplicationEvents; true when one handled it (the loop calls it).
bool OfferApplicationMessage(MSG& msg);

}  // namespace platform
