#pragma once
#include <QString>

// Where a JSON string literal is going to stand.
enum class LieuJson {
    Seul,    // a JSON document of its own
    Script,  // inside an HTML <script> element
};

// A text as a JSON string literal, quotes included, that JSON reads back as the very text.
QString chaineJson(const QString &texte, LieuJson lieu = LieuJson::Seul);
