#include "services/compare_text.h"

#include "services/text_format.h"

#include <cmath>

namespace vellumark {

int CompareNumberText(std::string_view a, std::string_view b)
{
    const double left = ParseNumberText(a).value_or(0.0);
    const double right = ParseNumberText(b).value_or(0.0);
    return left > right ? 1 : -1;
}

int CompareDateText(std::string_view a, std::string_view b)
{
    if (a.empty())
        return -1;
    if (b.empty())
        return 1;
    const auto left = ParseDateText(a);
    const auto right = ParseDateText(b);
    if (!left || !right)
        return 1;
    if (std::fabs(*left - *right) < 0.001)
        return 0;
    return *left < *right ? -1 : 1;
}

int CompareTextIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    const auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const int left = fold(static_cast<unsigned char>(a[i]));
        const int right = fold(static_cast<unsigned char>(b[i]));
        if (left != right)
            return left < right ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace vellumark
