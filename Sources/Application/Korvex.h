#pragma once

#include <QObject>

// The application root: creates every long-lived controller once, in a fixed
// order, wires them and loads what is stored. The only place where
// controllers are connected to each other.
class Korvex : public QObject
{
    Q_OBJECT
public:
    explicit Korvex(QObject* parent = nullptr);
    ~Korvex() override;

private:
    static void RegisterCutomTypes();
};
