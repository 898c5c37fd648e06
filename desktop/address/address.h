// Text operations on addresses: protocols, hosts, directory URLs, lookup keys and link resolution.
// Addresses are plain strings; nothing here allocates a parsed URL object.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vq {

// Protocol bits used by the filters.
enum ProtocolBit : int { kProtoHttp = 1, kProtoHttps = 2, kProtoFtp = 4, kProtoFile = 8 };

// The prefix ("http://", "https://", "ftp://", "file://") the address begins with, ignoring case;
// empty when it begins with none.
std::string_view ProtocolPrefix(std::string_view address);

// True when the address contains one of the four prefixes anywhere (ignoring case).
bool HasProtocol(std::string_view address);

// The protocol bit of the prefix the address begins with; 0 when there is none.
int ProtocolBits(std::string_view address);

// Index of the first slash or backslash after the protocol prefix; the length when there is none.
std::size_t HostEnd(std::string_view address);

// The address up to its host end ("http://www.x.com").
std::string SchemeAndHost(std::string_view address);

// The host name alone: the scheme-and-host without the prefix, user info and port.
std::string HostName(std::string_view address);

// The directory URL: the address without query and file name, ending in "/".
std::string DirectoryUrl(std::string_view address);

// Duplicate-detection key: cut at the first "#", one trailing slash removed, lower case.
std::string LookupKey(std::string_view address);

// Equal ignoring case, or (unless exact) the longer one is the shorter plus one slash.
bool SameAddress(std::string_view a, std::string_view b, bool exact = false);

// Host names equal ignoring case, also when only one of them carries "www.".
bool SameServer(std::string_view hostA, std::string_view hostB);

// Resolves a link found in a page against the page's directory URL and its own address.
// Sets *needsConversion when the link is root-relative (the stored copy cannot keep it as is).
std::string ResolveLink(std::string_view link, std::string_view pageDirUrl,
                        std::string_view pageAddress, bool* needsConversion = nullptr);

} // namespace vq
