// The reader opened on any source, with a ring of any size: for the tests and
// the fuzzers, which make images up as they are read and make the ring small
// so that it goes round all the time.
#ifndef VORBEX_READER_READER_SEAM_H
#define VORBEX_READER_READER_SEAM_H

#include <memory>

#include "image_cache.h"
#include "image_source.h"
#include "vorbex/d88_reader.h"

namespace vorbex {

struct ReaderSeam {
    // As reader.Open(path) for the image that `source` supplies; false for a
    // null source.
    static bool Open(D88Reader& reader, std::unique_ptr<ImageSource> source,
                     std::size_t ringPages = ImageCache::kRingPages) {
        return reader.OpenSource(std::move(source), ringPages);
    }
};

}  // namespace vorbex

#endif  // VORBEX_READER_READER_SEAM_H
