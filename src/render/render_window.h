// The render window: shown while a song renders to a WAV file.
#pragma once

#include <QWidget>

namespace groovane {

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
};

} // namespace groovane
