#pragma once

namespace mdlMyDoevents {

// Handles every pending event, posted and native, and returns when none is left. May be re-entered.
void MyDoEvents();

} // namespace mdlMyDoevents
