#include "search/index/byte_codec.h"

#include <xxhash.h>

namespace vellumark {

std::uint64_t IndexChecksum(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }

}  // namespace vellumark
