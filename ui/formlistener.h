#pragma once
// The window's side of a conversation with the unit: what the conversation says goes to the
// activity log, as timed or plain lines.
#include "link/listener.h"
#include "ui/unit1.h"

class FormListener : public link::Listener {
public:
    explicit FormListener(TForm1& f) : form(f) {}
    void note(const QString& text) override { form.log(text); }
    void plain(const QString& text) override { form.logplain(text); }

protected:
    TForm1& form;
};
