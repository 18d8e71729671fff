// gui-events.cpp -- binding handlers to declared events, with the checks that catch a
// misspelt name or a wrong signature when the window is built rather than never.
#include "gui-private.h"

#include "rb/events.h"

#include <stdexcept>

namespace rb {

void EventTable::Install(Object &owner, const std::string &ownerName, const std::string &event,
                         detail::BoundHandler bound) {
    auto declared = declared_.find(event);
    if (declared == declared_.end())
        throw std::invalid_argument(ownerName + " (" + gui::TypeName(typeid(owner)) +
                                    ") has no event \"" + event + "\"");
    if (*declared->second != *bound.signature)
        throw std::invalid_argument("the handler of \"" + event + "\" of " + ownerName +
                                    " must take " + gui::TypeName(*declared->second) + ", not " +
                                    gui::TypeName(*bound.signature));
    if (!bound.sourceMatches(owner))
        throw std::invalid_argument("the handler of \"" + event + "\" of " + ownerName +
                                    " takes a " + gui::TypeName(*bound.sourceClass) + ", but " +
                                    ownerName + " is a " + gui::TypeName(typeid(owner)));
    handlers_[event] = std::move(bound.handler);
}

} // namespace rb
