// What the notifier's tray and popup show, in code page 932, written out byte by byte.
#pragma once

#include <string>

namespace test {
namespace shown_texts {

inline const std::string kTarnMail = "tarn\x83\x81\x81[\x83\x8B ";
inline const std::string kNewMail = "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xAA ";
inline const std::string kItems = " \x8C\x8F\x82\xA0\x82\xE8\x82\xDC\x82\xB7";
inline const std::string kNoNewMail = "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
inline const std::string kFailureTip = kTarnMail +
                                       "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x8C\x8F\x90\x94\x82\xCC\x8E\xE6\x93\xBE\x82\xC9"
                                       "\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
inline const std::string kLoggedOutTip =
    kTarnMail + "\x83\x8D\x83O\x83" "C\x83\x93\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1";

inline std::string NewMailPopup(int count) { return kNewMail + std::to_string(count) + kItems; }
inline std::string NewMailTip(int count) { return kTarnMail + NewMailPopup(count); }

}  // namespace shown_texts

}  // namespace test
