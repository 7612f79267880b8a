#pragma once

namespace winsim {

struct Registry {};

} // namespace winsim
