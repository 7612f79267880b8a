#pragma once

namespace winsim {

struct Spooler {};

} // namespace winsim
