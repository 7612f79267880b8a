#pragma once

namespace winsim {

struct FileSystem {};

} // namespace winsim
