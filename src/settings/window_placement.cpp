// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/window_placement.h"

#include <algorithm>
#include <limits>

#include "settings/app_title.h"

namespace settings {

namespace {

// v / 2 rounded to the nearest whole number, halves to the even neighbour.
int64_t HalveHalfEven(int64_t v) {
    const int64_t floorHalf = v >> 1;  // arithmetic shift: floor division
    if ((v & 1) == 0 || (floorHalf & 1) == 0) {
        return floorHalf;
    }
    return floorHalf + 1;
}

int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void ApplyTitleRule(PlacedWindow& window, SetTitle setTitle) {
    if (setTitle && *setTitle == 1) {
        window.setCaption(ApplicationTitle());
    }
}

// Sets Top, then Left.
void MoveTo(PlacedWindow& window, int64_t top, int64_t left) {
    window.setTop(ClampToInt32(top));
    window.setLeft(ClampToInt32(left));
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Leading blanks skipped, and blanks between the characters of the number ignored.
class NumberReader {
  public:
    explicit NumberReader(std::string_view text) : m_text(text) {}
    char peek() {
        while (m_pos < m_text.size() && IsBlank(m_text[m_pos])) {
            ++m_pos;
        }
        return m_pos < m_text.size() ? m_text[m_pos] : '\0';
    }
    void next() { ++m_pos; }

  private:
    std::string_view m_text;
    size_t m_pos = 0;
};

}  // namespace

int32_t ParsePositionNumber(std::string_view text) {
    NumberReader reader(text);
    bool negative = false;
    if (reader.peek() == '-' || reader.peek() == '+') {
        negative = reader.peek() == '-';
        reader.next();
    }
    int64_t whole = 0;
    while (IsDigit(reader.peek())) {
        whole = std::min<int64_t>(whole * 10 + (reader.peek() - '0'), kPositionLimitTwips + 1);
        reader.next();
    }
    if (reader.peek() == '.') {
        reader.next();
        // Only the fraction's first digit and whether anything non-zero follows decide rounding.
        int first = -1;
        bool restNonZero = false;
        while (IsDigit(reader.peek())) {
            const int digit = reader.peek() - '0';
            if (first < 0) {
                first = digit;
            } else if (digit != 0) {
                restNonZero = true;
            }
            reader.next();
        }
        const bool roundUp = first > 5 || (first == 5 && (restNonZero || whole % 2 == 1));
        whole += roundUp ? 1 : 0;
    }
    whole = std::min<int64_t>(whole, kPositionLimitTwips);
    return static_cast<int32_t>(negative ? -whole : whole);
}

std::string GetWindowPosText(const PlacedWindow& window) {
    return std::to_string(window.top()) + "," + std::to_string(window.left());
}

void ApplyWindowPosText(PlacedWindow& window, std::string_view text, const ScreenArea& screen,
                        SetTitle setTitle) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return;
    }
    const int64_t top = ParsePositionNumber(text.substr(0, comma));
    const int64_t left = ParsePositionNumber(text.substr(comma + 1));
    const bool screenKnown = screen.width > 0 && screen.height > 0;
    const bool overlapsScreen =
        left < int64_t{screen.left} + screen.width && left + window.width() > screen.left &&
        top < int64_t{screen.top} + screen.height && top + window.height() > screen.top;
    if (overlapsScreen || !screenKnown) {
        MoveTo(window, top, left);
        ApplyTitleRule(window, setTitle);
    } else {
        CenterOnScreen(window, screen, setTitle);
    }
}

void CenterOnScreen(PlacedWindow& window, const ScreenArea& screen, SetTitle setTitle) {
    const int64_t x = HalveHalfEven(int64_t{screen.width} - window.width());
    const int64_t y = HalveHalfEven(int64_t{screen.height} - window.height());
    ApplyTitleRule(window, setTitle);
    MoveTo(window, screen.top + std::max<int64_t>(y, 0), screen.left + std::max<int64_t>(x, 0));
}

void CenterOverMainWindow(PlacedWindow& window, const PlacedWindow& mainWindow, SetTitle setTitle) {
    // Rounded as a whole: (main width - width) / 2 + main left.
    const int64_t x = HalveHalfEven(int64_t{mainWindow.width()} - window.width() +
                                    2 * int64_t{mainWindow.left()});
    const int64_t y = HalveHalfEven(int64_t{mainWindow.height()} - window.height() +
                                    2 * int64_t{mainWindow.top()});
    ApplyTitleRule(window, setTitle);
    MoveTo(window, std::max<int64_t>(y, 0), std::max<int64_t>(x, 0));
}

}  // namespace settings
