// A fixed table of listed paths, by a hash of their names compared without
// regard to case: a collision can only take one path for another that is
// listed too.
#include "files/listed_paths.h"

#include <algorithm>
#include <iterator>

#include "convert/name_hash.h"

namespace {

constexpr std::uint32_t slots = std::uint32_t{1} << 19;
constexpr std::uint32_t most_paths = slots / 4 * 3;

ListedPath paths[slots];
std::uint32_t path_count;

}  // namespace

void forget_listed_paths()
{
    if (path_count > 0)
        std::fill(std::begin(paths), std::end(paths), ListedPath{});
    path_count = 0;
}

ListedPath* listed_path(const char16_t* path, std::uint32_t length, bool add)
{
    const std::uint64_t hash = units_hash(path, length);
    for (std::uint32_t at = static_cast<std::uint32_t>(hash >> 40) % slots;; at = (at + 1) % slots) {
        if (paths[at].hash == hash)
            return &paths[at];
        if (paths[at].hash != 0)
            continue;
        if (!add || path_count == most_paths)
            return nullptr;
        ++path_count;
        paths[at].hash = hash;
        return &paths[at];
    }
}
