// The images the project makes for its quick start, benchmarks and fuzzing.
#ifndef VORBEX_IMAGEMAKER_SAMPLE_LAYOUTS_H
#define VORBEX_IMAGEMAKER_SAMPLE_LAYOUTS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorbex::imagemaker {

struct Layout {
    const char* name;
    const char* description;
};

// The layouts MakeLayout knows, in the order the generator lists them.
const std::vector<Layout>& Layouts();

// The image of layout `name`, or nothing when there is no such layout.
std::optional<std::vector<std::uint8_t>> MakeLayout(const std::string& name);

}  // namespace vorbex::imagemaker

#endif  // VORBEX_IMAGEMAKER_SAMPLE_LAYOUTS_H
