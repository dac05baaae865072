#pragma once

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <QStringList>

#include <vector>

// Menus of a viewer window written as tables: every entry with its caption, object name and
// handler. Both viewer windows build their menu bars and context menus from such tables.
namespace ravlen::viewer {

template <class Window> struct MenuLine {
    using Handler = void (Window::*)();
    const char *name = nullptr; // object name; null for a separator
    const char *caption = nullptr;
    Handler handler = nullptr;
    std::vector<MenuLine> submenu;
    bool checkable = false;
    bool isSubmenu = false;

    static MenuLine item(const char *name, const char *caption, Handler handler = nullptr) {
        return MenuLine{name, caption, handler, {}, false, false};
    }
    static MenuLine toggle(const char *name, const char *caption, Handler handler = nullptr) {
        return MenuLine{name, caption, handler, {}, true, false};
    }
    static MenuLine separator() { return MenuLine{}; }
    static MenuLine sub(const char *name, const char *caption, std::vector<MenuLine> lines) {
        return MenuLine{name, caption, nullptr, std::move(lines), false, true};
    }
};

template <class Window> struct TopMenu {
    const char *name;
    const char *caption;
    std::vector<MenuLine<Window>> lines;
};

// Adds the lines to `menu`: entries and submenus named after their lines, entries wired to the
// window's handlers; entries listed in `pending` start disabled.
template <class Window>
void addMenuLines(Window *window, QMenu *menu, const std::vector<MenuLine<Window>> &lines,
                  const QStringList &pending) {
    for (const MenuLine<Window> &line : lines) {
        if (!line.name) {
            menu->addSeparator();
            continue;
        }
        const QString name = QString::fromLatin1(line.name);
        if (line.isSubmenu) {
            QMenu *sub = menu->addMenu(QString::fromLatin1(line.caption));
            sub->setObjectName(name);
            sub->menuAction()->setObjectName(name);
            addMenuLines(window, sub, line.submenu, pending);
            continue;
        }
        QAction *action = menu->addAction(QString::fromLatin1(line.caption));
        action->setObjectName(name);
        action->setCheckable(line.checkable);
        action->setEnabled(!pending.contains(name));
        if (const auto handler = line.handler) {
            QObject::connect(action, &QAction::triggered, window,
                             [window, handler] { (window->*handler)(); });
        }
    }
}

// The window's menu bar from its table.
template <class Window>
void addMenuBar(Window *window, QMenuBar *bar, const std::vector<TopMenu<Window>> &menus,
                const QStringList &pending) {
    for (const TopMenu<Window> &top : menus) {
        QMenu *menu = bar->addMenu(QString::fromLatin1(top.caption));
        menu->setObjectName(QString::fromLatin1(top.name));
        menu->menuAction()->setObjectName(QString::fromLatin1(top.name));
        addMenuLines(window, menu, top.lines, pending);
    }
}

} // namespace ravlen::viewer
