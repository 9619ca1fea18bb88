#include "display/SizeText.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "shell/Text.h"

namespace {

// The one result buffer of GroupDigits and FormatSize; callers copy the text out at once.
char sizeTextBuffer[SizeTextCapacity];

constexpr int MaxSeparators = 3;
constexpr int RoundingSignificantDigits = 17;

struct Unit {
    double below;     // the unit serves counts below this bound
    int powerOfTwo;   // the count is divided by 2^powerOfTwo
    int decimals;
    const char* name;
};

constexpr Unit Units[] = {
    {1024.0, 0, 0, "B"},
    {1048576.0, 10, 0, "KB"},
    {1073741824.0, 20, 2, "MB"},
    {INFINITY, 30, 2, "GB"},
};

// A non-negative number held exactly in decimal: digit[0] is the least significant, and
// the lowest fractionDigits digits are the fraction. The quotient of a whole double by a
// power of two always has a finite expansion, so nothing here is approximate; the room
// covers the integer digits of the largest double and the 30 fraction digits of 2^-30.
class ExactDecimal {
public:
    ExactDecimal(double whole, int powerOfTwo)
    {
        int exponent = 0;
        double fraction = std::frexp(whole, &exponent);
        auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
        exponent -= 53;
        if (mantissa == 0) exponent = 0;
        while (mantissa != 0 && (mantissa & 1) == 0) {
            mantissa >>= 1;
            ++exponent;
        }
        do {
            digit_[count_++] = static_cast<unsigned char>(mantissa % 10);
            mantissa /= 10;
        } while (mantissa != 0);
        for (exponent -= powerOfTwo; exponent > 0; --exponent) MultiplyBy(2);
        // x / 2^n = x * 5^n / 10^n
        for (; exponent < 0; ++exponent) {
            MultiplyBy(5);
            ++fractionDigits_;
        }
        while (count_ <= fractionDigits_) digit_[count_++] = 0;
    }

    // Rounds the way the size texts are defined: first to 17 significant digits, then to
    // the shown decimals, each time a dropped digit of 5 or more rounding up.
    void Round(int decimals)
    {
        int top = count_ - 1;
        while (top > 0 && digit_[top] == 0) --top;
        int significant = top + 1;
        if (significant > RoundingSignificantDigits) RoundBelow(significant - RoundingSignificantDigits);
        if (fractionDigits_ > decimals) RoundBelow(fractionDigits_ - decimals);
    }

    // Writes the integer digits (at least one) into a buffer of the given capacity; false
    // when they do not fit.
    bool WholeDigits(char* out, int capacity) const
    {
        int top = count_ - 1;
        while (top > fractionDigits_ && digit_[top] == 0) --top;
        int length = top - fractionDigits_ + 1;
        if (length >= capacity) return false;
        for (int i = 0; i < length; ++i) out[i] = static_cast<char>('0' + digit_[top - i]);
        out[length] = '\0';
        return true;
    }

    // The first `decimals` fraction digits (fewer than three are ever asked for).
    void FractionDigits(char* out, int decimals) const
    {
        for (int i = 0; i < decimals; ++i) {
            int position = fractionDigits_ - 1 - i;
            out[i] = static_cast<char>('0' + (position >= 0 ? digit_[position] : 0));
        }
        out[decimals] = '\0';
    }

private:
    static constexpr int Capacity = 360;

    void MultiplyBy(unsigned factor)
    {
        unsigned carry = 0;
        for (int i = 0; i < count_; ++i) {
            unsigned value = digit_[i] * factor + carry;
            digit_[i] = static_cast<unsigned char>(value % 10);
            carry = value / 10;
        }
        for (; carry != 0 && count_ < Capacity; carry /= 10) digit_[count_++] = static_cast<unsigned char>(carry % 10);
    }

    // Drops the digits below `position`, adding one unit there when the first of them is 5
    // or more; the carry may open a new leading digit.
    void RoundBelow(int position)
    {
        bool up = digit_[position - 1] >= 5;
        for (int i = 0; i < position; ++i) digit_[i] = 0;
        for (int i = position; up && i < Capacity; ++i) {
            if (i == count_) digit_[count_++] = 0;
            up = ++digit_[i] == 10;
            if (up) digit_[i] = 0;
        }
    }

    unsigned char digit_[Capacity] = {};
    int count_ = 0;
    int fractionDigits_ = 0;
};

} // namespace

const char* GroupDigits(const char* digits)
{
    std::size_t length = std::strlen(digits);
    if (length == 0) {
        sizeTextBuffer[0] = ' ';
        sizeTextBuffer[1] = '\0';
        return sizeTextBuffer;
    }
    std::size_t separators = (length - 1) / 3;
    if (separators > MaxSeparators) separators = MaxSeparators;
    std::size_t total = length + separators;
    if (total >= sizeof sizeTextBuffer) {
        sizeTextBuffer[0] = '\0';
        return sizeTextBuffer;
    }

    // Filled from the right: a space after every third digit while separators are left.
    char* out = sizeTextBuffer + total;
    *out = '\0';
    std::size_t sinceSeparator = 0;
    for (std::size_t i = length; i-- > 0;) {
        if (sinceSeparator == 3 && separators > 0) {
            *--out = ' ';
            --separators;
            sinceSeparator = 0;
        }
        *--out = digits[i];
        ++sinceSeparator;
    }
    return sizeTextBuffer;
}

const char* FormatSize(double bytes)
{
    if (!(bytes >= 0.0) || std::isinf(bytes)) bytes = 0.0;
    bytes = std::floor(bytes);

    const Unit* unit = Units;
    while (!(bytes < unit->below)) ++unit;

    ExactDecimal value(bytes, unit->powerOfTwo);
    value.Round(unit->decimals);

    char whole[SizeTextCapacity];
    if (!value.WholeDigits(whole, sizeof whole)) whole[0] = '\0';
    char decimals[3];
    value.FractionDigits(decimals, unit->decimals);

    // A text that does not fit is cut, never overrun.
    char text[SizeTextCapacity] = "";
    text::Append(text, GroupDigits(whole));
    if (unit->decimals > 0) {
        text::Append(text, ",");
        text::Append(text, decimals);
    }
    text::Append(text, " ");
    text::Append(text, unit->name);

    std::memcpy(sizeTextBuffer, text, sizeof text);
    return sizeTextBuffer;
}
