#pragma once

#include <QString>

// What the save dialog proposes for an image address.
struct TImageSaveName
{
    QString FileName;   // after the last "/", "\" or ":"
    QString DefaultExt; // from the last "." of the name on, dot included; may be empty
    QString Filter;     // "*" + ext, twice: description|pattern
};

TImageSaveName ImageSaveName(const QString& url);
