// The HTML template of the offline error page: CRLF line ends, and the markers
// "<VQ_HTML_ERROR_REPLACE_1>" to "<VQ_HTML_ERROR_REPLACE_10>" where the page's texts go.
#pragma once

#include <string_view>

namespace vq {

std::string_view ErrorPageTemplate();

} // namespace vq
