#pragma once

namespace winsim {

struct ServiceManager {};

} // namespace winsim
