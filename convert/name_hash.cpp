// Key names compared as the registry compares them, and hashed for the
// builder's fixed tables.
#include "convert/name_hash.h"

#include <cstring>

namespace {

// ASCII letters in upper case, eight bytes at a time: a report holds
// millions of keys.
std::uint64_t upper_case(std::uint64_t word)
{
    constexpr std::uint64_t high_bits = 0x8080808080808080;
    const std::uint64_t low_seven = word & 0x7F7F7F7F7F7F7F7F;
    const std::uint64_t from_a = low_seven + 0x1F1F1F1F1F1F1F1F;   // high bit from 'a' (0x61) up
    const std::uint64_t after_z = low_seven + 0x0505050505050505;  // high bit from '{' (0x7B) up
    return word - ((from_a & ~after_z & ~word & high_bits) >> 2);
}

std::uint64_t mix(std::uint64_t hash, std::uint64_t word)
{
    hash = (hash ^ word) * 0x9E3779B97F4A7C15;
    return hash ^ (hash >> 29);
}

std::uint64_t take_word(std::uint64_t hash, const char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    return mix(hash, upper_case(word));
}

// The length goes in last, so that the words of a path taken so far serve
// each of its parents.
std::uint64_t finish_name(std::uint64_t hash, const char* rest, std::size_t rest_length, std::size_t length)
{
    std::uint64_t word = 0;
    std::memcpy(&word, rest, rest_length);
    return mix(mix(hash, upper_case(word)), length) | 1;
}

std::uint64_t seed(bool under_users)
{
    return under_users ? 0x84222325cbf29ce4 : 0xcbf29ce484222325;
}

}  // namespace

bool same_sized_text(std::string_view a, std::string_view b)
{
    std::size_t at = 0;
    for (; at + 8 <= a.size(); at += 8) {
        std::uint64_t left;
        std::uint64_t right;
        std::memcpy(&left, a.data() + at, 8);
        std::memcpy(&right, b.data() + at, 8);
        if (left != right && upper_case(left) != upper_case(right))
            return false;
    }
    for (; at < a.size(); ++at) {
        if (a[at] != b[at] && upper_unit(static_cast<unsigned char>(a[at])) != upper_unit(static_cast<unsigned char>(b[at])))
            return false;
    }
    return true;
}

std::uint64_t name_hash(bool under_users, std::string_view name)
{
    std::uint64_t hash = seed(under_users);
    std::size_t taken = 0;
    for (; taken + 8 <= name.size(); taken += 8)
        hash = take_word(hash, name.data() + taken);
    return finish_name(hash, name.data() + taken, name.size() - taken, name.size());
}

bool any_parent_hash(bool under_users, std::string_view text, bool (*found)(std::uint64_t))
{
    std::uint64_t hash = seed(under_users);
    std::size_t taken = 0;
    for (std::size_t at = text.find('\\'); at != std::string_view::npos; at = text.find('\\', at + 1)) {
        for (; taken + 8 <= at; taken += 8)
            hash = take_word(hash, text.data() + taken);
        if (found(finish_name(hash, text.data() + taken, at - taken, at)))
            return true;
    }
    return false;
}

// FNV-1a, letters in upper case.
std::uint64_t units_hash(const char16_t* units, std::uint32_t length)
{
    std::uint64_t hash = 14695981039346656037u;
    for (std::uint32_t i = 0; i < length; ++i)
        hash = (hash ^ upper_unit(units[i])) * 1099511628211u;
    return hash | 1;
}

char16_t upper_unit(char16_t unit)
{
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

bool same_name(const char16_t* a, const char16_t* b, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < length; ++i) {
        if (upper_unit(a[i]) != upper_unit(b[i]))
            return false;
    }
    return true;
}
