// The Recycle Bin's guards that need no system call, shared by the Windows
// layer and its tests.
#include "platform/bin_guard.h"

namespace {

std::uint32_t length_of(const char16_t* text)
{
    std::uint32_t length = 0;
    while (text[length] != u'\0')
        ++length;
    return length;
}

bool starts_with(const char16_t* text, const char16_t* head)
{
    for (; *head != u'\0'; ++text, ++head) {
        if (*text != *head)
            return false;
    }
    return true;
}

}  // namespace

bool path_through_substitute(const char16_t* device, const char16_t* path, char16_t* resolved,
                             std::uint32_t capacity)
{
    const char16_t* head = u"";
    const char16_t* target = device;
    const char16_t* rest = path;
    if (path[0] != u'\0' && path[1] == u':' && starts_with(device, u"\\??\\UNC\\")) {
        head = u"\\\\";
        target = device + 8;
        rest = path + 2;
    } else if (path[0] != u'\0' && path[1] == u':' && starts_with(device, u"\\??\\") && device[4] != u'\0' &&
               device[5] == u':') {
        target = device + 4;
        rest = path + 2;
    } else {
        target = u"";
    }
    std::uint32_t target_length = length_of(target);
    while (target_length > 0 && target[target_length - 1] == u'\\')
        --target_length;
    const std::uint32_t head_length = length_of(head);
    const std::uint32_t rest_length = length_of(rest);
    if (head_length + target_length + rest_length >= capacity)
        return false;
    char16_t* out = resolved;
    for (std::uint32_t i = 0; i < head_length; ++i)
        *out++ = head[i];
    for (std::uint32_t i = 0; i < target_length; ++i)
        *out++ = target[i];
    for (std::uint32_t i = 0; i < rest_length; ++i)
        *out++ = rest[i];
    *out = u'\0';
    return true;
}
