#include "saver_args.h"

namespace Velmora {

static bool IsBlank(char Character) {
    return Character == ' ' || Character == '\t';
}

static bool IsDigit(char Character) {
    return Character >= '0' && Character <= '9';
}

static const char* SkipBlanks(const char* Text) {
    while (IsBlank(*Text)) {
        ++Text;
    }
    return Text;
}

const char* SkipProgramName(const char* CommandLine) {
    if (CommandLine == nullptr) {
        return "";
    }
    const char* at = SkipBlanks(CommandLine);
    if (*at == '"') {
        ++at;
        while (*at != '\0' && *at != '"') {
            ++at;
        }
        if (*at == '"') {
            ++at;
        }
    } else {
        while (*at != '\0' && !IsBlank(*at)) {
            ++at;
        }
    }
    return SkipBlanks(at);
}

// A decimal window handle: digits up to a blank or the end; 0 for anything
// else, and for values beyond 32 bits.
static uint32_t ReadHandleValue(const char* Text) {
    Text = SkipBlanks(Text);
    if (!IsDigit(*Text)) {
        return 0;
    }
    uint64_t value = 0;
    while (IsDigit(*Text)) {
        value = value * 10 + static_cast<uint64_t>(*Text - '0');
        if (value > 0xFFFFFFFFu) {
            return 0;
        }
        ++Text;
    }
    if (*Text != '\0' && !IsBlank(*Text)) {
        return 0;
    }
    return static_cast<uint32_t>(value);
}

SaverArgs ParseSaverArgs(const char* CommandLineAfterProgramName) {
    SaverArgs args = {SaverShowOptions, 0};
    if (CommandLineAfterProgramName == nullptr) {
        return args;
    }
    const char* at = SkipBlanks(CommandLineAfterProgramName);
    if ((at[0] != '/' && at[0] != '-') || at[1] == '\0') {
        return args;
    }
    const char letter = static_cast<char>(at[1] | 0x20); // lower case for letters
    const char* rest = at + 2;
    if (*rest != '\0' && !IsBlank(*rest) && *rest != ':' && !IsDigit(*rest)) {
        return args; // a longer word: not one of the switches
    }
    if (*rest == ':') {
        ++rest;
    }
    switch (letter) {
    case 's':
        args.Mode = SaverRunFullScreen;
        break;
    case 'p':
        args.Mode = SaverShowPreview;
        args.Handle = ReadHandleValue(rest);
        break;
    case 'c':
        args.Handle = ReadHandleValue(rest);
        break;
    case 'a':
        args.Mode = SaverChangePassword;
        args.Handle = ReadHandleValue(rest);
        break;
    default:
        break;
    }
    return args;
}

} // namespace Velmora
