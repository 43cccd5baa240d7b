#pragma once

#include <QObject>

#include <functional>

class QLabel;
class Slider;

// The marks of the cut: the slider's current second becomes the start or the end of the range
// the task cuts out, and both can be cleared. The marks live in the slider (SelectStart,
// SelectEnd), which draws the range; the two labels show them as time text. Marks are set only
// while a file is loaded (the query `NoMedia` answers false); clearing works always. Any pair is
// accepted here, a reversed one included: the task start judges the range.
class CutSelection : public QObject {
    Q_OBJECT

public:
    CutSelection(Slider* slider, QLabel* lblStartSelect, QLabel* lblEndSelect,
                 std::function<bool()> NoMedia, QObject* parent = nullptr);

    void cmdStartSelect_Click();
    void cmdEndSelect_Click();
    // Clears both marks to 0; the labels then read "00.00.00". Also run when another file is
    // taken in.
    void cmdDeleteSelect_Click();

private:
    Slider* slider_;
    QLabel* lblStartSelect_;
    QLabel* lblEndSelect_;
    std::function<bool()> NoMedia_;
};
