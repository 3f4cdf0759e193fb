#pragma once
// Caption files: the one that lies beside a source, and the language its
// name carries.
#include <QString>

namespace captions {

// The caption file beside a source with the source's name less its last
// extension: NAME.vtt, NAME.srt, else the first by name of NAME.LANG.vtt and
// NAME.LANG.srt. Empty when there is none.
QString findBeside(const QString &source);

// "en" of "clip.en.srt", "pt-BR" of "clip.pt-BR.vtt": the part before the
// extension when it is a language tag (two or three letters, then subtags
// of two to eight letters or digits). Empty when the name carries none.
QString language(const QString &captionFile);

} // namespace captions
