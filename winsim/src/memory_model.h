#pragma once

namespace winsim {

struct Memory {};

} // namespace winsim
