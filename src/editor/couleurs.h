#pragma once
#include <QColor>

namespace couleurs {
inline QColor jauneClair() { return {255, 255, 192}; }   // the good answer, the question, the comment
inline QColor vertClair() { return {192, 255, 192}; }    // the answers
inline QColor violet() { return {255, 192, 255}; }       // the author's initials
inline QColor orangeClair() { return {255, 192, 128}; }  // the help line, the mark box
inline QColor vertTexte() { return {0, 128, 0}; }
} // namespace couleurs
