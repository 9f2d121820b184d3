// The kit windows: the kit list beside the main window, the kit volume control and the kit maker.
#pragma once

#include <QWidget>

namespace groovane {

class TVolume_Control : public QWidget {
    Q_OBJECT
public:
    explicit TVolume_Control(QWidget* parent = nullptr);
};

class TKit_List : public QWidget {
    Q_OBJECT
public:
    explicit TKit_List(QWidget* parent = nullptr);
};

class TMakit : public QWidget {
    Q_OBJECT
public:
    explicit TMakit(QWidget* parent = nullptr);
};

} // namespace groovane
