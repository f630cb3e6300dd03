#include "stream/asf_feeder.h"

#include <algorithm>

namespace kestrova::stream {

int AsfChunkFeeder::Push(std::span<const uint8_t> chunk) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t wanted = parser_.Wanted();
        if (pending_.size() == wanted) {
            const int code = parser_.Feed(pending_);
            pending_.clear();
            if (code != 0)
                return code;
            continue;
        }
        if (pos == chunk.size())
            return 0;
        const std::size_t take = std::min(wanted - pending_.size(), chunk.size() - pos);
        pending_.insert(pending_.end(), chunk.begin() + pos, chunk.begin() + pos + take);
        pos += take;
    }
}

} // namespace kestrova::stream
