// GBK (code page 936), the ANSI code page of the host: fixed here rather than asked of the
// platform, so every build splits texts the same way.
#pragma once

namespace varnel {

// A byte that starts a two-byte character. Second bytes take values in this range too, so a
// text's last byte alone never tells whether it ends a character.
constexpr bool isGbkLeadByte(unsigned char byte) noexcept {
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace varnel
