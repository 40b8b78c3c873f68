// vorbex-mkimage: writes one of the project's own D88 images.
#include <cstdio>
#include <string>

#include "sample_layouts.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("Usage: vorbex-mkimage LAYOUT OUTPUT\nLayouts:\n", stderr);
        for (const auto& layout : vorbex::imagemaker::Layouts()) {
            std::fprintf(stderr, "  %-8s %s\n", layout.name, layout.description);
        }
        return 2;
    }
    const auto image = vorbex::imagemaker::MakeLayout(argv[1]);
    if (!image) {
        std::fprintf(stderr, "vorbex-mkimage: unknown layout %s\n", argv[1]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(image->data(), 1, image->size(), out) == image->size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
