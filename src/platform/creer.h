#pragma once
#include <QRect>
#include <QString>
#include <QWidget>

#include <utility>

// A control placed at fixed coordinates, named as its objectName.
template <class W, class... A> W *creer(QWidget *parent, const QString &nom, const QRect &place, A &&...args)
{
    auto *w = new W(std::forward<A>(args)..., parent);
    w->setObjectName(nom);
    w->setGeometry(place);
    return w;
}

// The name of a control of an array: "Theme_3".
inline QString indice(const char *nom, int i) { return QString::fromUtf8(nom) + u'_' + QString::number(i); }
