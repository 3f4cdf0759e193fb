#pragma once
// Addresses of the maker's web pages, kept in one place.
#include <QString>

namespace weblinks {
inline const QString home = QStringLiteral("https://www.vidlark.example/");
inline const QString documentation = QStringLiteral("https://www.vidlark.example/encoder/documentation/");
inline const QString support = QStringLiteral("https://www.vidlark.example/support/");
inline const QString contact = QStringLiteral("https://www.vidlark.example/contact/");
inline const QString players = QStringLiteral("https://www.vidlark.example/web-video-players/");
inline const QString facebook = QStringLiteral("https://www.facebook.example/vidlark/");
} // namespace weblinks
