#include "base/namedbutton.h"

#include <QPushButton>

QPushButton* namedButton(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

void setToolTips(QWidget* window, std::initializer_list<ToolTip> tips) {
    for (const ToolTip& t : tips)
        if (auto* w = window->findChild<QWidget*>(QString::fromLatin1(t.name)))
            w->setToolTip(QString::fromUtf8(t.text));
}
