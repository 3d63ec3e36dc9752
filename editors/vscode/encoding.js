// The encoding of a .prk file from its bytes, by the rule the run-time's loader
// uses: a UTF-8 byte-order mark, or valid UTF-8 that holds multi-byte characters,
// is UTF-8; anything else is Shift_JIS. Plain ASCII reads the same either way (null).
'use strict';

// 'ascii', 'multibyte' or 'invalid' (strict: no overlong forms, surrogates or
// values above U+10FFFF).
function classifyUtf8(bytes) {
    let multi = false;
    for (let i = 0; i < bytes.length;) {
        const c = bytes[i];
        if (c < 0x80) { i++; continue; }
        let n, min;
        if (c >= 0xC2 && c <= 0xDF) { n = 1; min = 0x80; }
        else if (c >= 0xE0 && c <= 0xEF) { n = 2; min = 0x800; }
        else if (c >= 0xF0 && c <= 0xF4) { n = 3; min = 0x10000; }
        else return 'invalid';
        let cp = c & (0x3F >> n);
        for (let k = 1; k <= n; k++) {
            const b = bytes[i + k];
            if (b === undefined || (b & 0xC0) !== 0x80) return 'invalid';
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 'invalid';
        multi = true;
        i += n + 1;
    }
    return multi ? 'multibyte' : 'ascii';
}

// VS Code's name of the encoding of `bytes`: 'utf8bom', 'utf8', 'shiftjis', or null
// for plain ASCII.
function detectEncoding(bytes) {
    if (bytes.length >= 3 && bytes[0] === 0xEF && bytes[1] === 0xBB && bytes[2] === 0xBF) return 'utf8bom';
    switch (classifyUtf8(bytes)) {
    case 'multibyte': return 'utf8';
    case 'invalid': return 'shiftjis';
    default: return null;
    }
}

module.exports = { classifyUtf8, detectEncoding };
