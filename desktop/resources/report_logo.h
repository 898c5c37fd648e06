// The logo image "vqlogo.gif" that the download report shows beside its heading.
#pragma once

#include <span>

namespace vq {

// The GIF file's bytes (234 x 60 pixels).
std::span<const unsigned char> ReportLogoGif();

} // namespace vq
