#include "app/Session.h"

Session::Session(QObject* parent) : QObject(parent) {}

void Session::SetNoMedia(bool noMedia) {
    if (noMedia_ == noMedia) {
        return;
    }
    noMedia_ = noMedia;
    Q_EMIT NoMediaChanged(noMedia_);
}

void Session::SetConverting(bool converting) {
    if (converting_ == converting) {
        return;
    }
    converting_ = converting;
    Q_EMIT ConvertingChanged(converting_);
}

void Session::SetInputFile(const QString& path) {
    if (inputFile_ == path) {
        return;
    }
    inputFile_ = path;
    Q_EMIT InputFileChanged(inputFile_);
}
