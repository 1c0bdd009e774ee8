// Actions compiled from script source, and buttons with their actions (DefineButton2).
#include "swf/actionscript/compiler.h"
#include "swf/internal/objects.h"
#include "swf/internal/tags.h"

namespace swf::detail {

SWFAction NewActionFromBytes(const std::uint8_t* code, size_t size) {
    return Guard<SWFAction>(nullptr, [&] {
        auto* a = new SWFAction_s;
        a->code.assign(code, code + size);
        a->code.push_back(0);  // ActionEnd
        return a;
    });
}

}  // namespace swf::detail

using namespace swf::detail;

SWFAction newSWFAction(const char* script) {
    return Guard<SWFAction>(nullptr, [&] {
        swf::as::CompileResult r = swf::as::Compile(script ? script : "");
        auto* a = new SWFAction_s;
        if (r.error) {
            a->error = "ActionScript error at line " + std::to_string(r.error->line) + ", column " +
                       std::to_string(r.error->column) + ": " + r.error->message;
            SetLastError(a->error);
        } else {
            a->code = std::move(r.actions);
            a->code.push_back(0);
        }
        return a;
    });
}

void destroySWFAction(SWFAction action) {
    if (action) Release(action);
}

const char* SWFAction_getError(SWFAction action) {
    if (!action) return "no action";
    return action->error.empty() ? nullptr : action->error.c_str();
}

void SWFButton_s::DefineParts(Emitter& e) {
    for (Part& p : parts) e.Define(p.character.get());
}

void SWFButton_s::Write(Emitter& e, std::uint16_t id) {
    Writer w;
    w.U16(id);
    w.U8(0);  // push button
    size_t offsetAt = w.size();
    w.U16(0);
    std::uint16_t depth = 1;
    for (Part& p : parts) {
        w.U8(p.states & 0x0F);
        w.U16(e.Define(p.character.get()));
        w.U16(depth++);
        w.Matrix(1, 1, 0, 0, 0, 0);
        w.IdentityCxformWithAlpha();
    }
    w.U8(0);
    if (!actions.empty()) {
        w.Patch16(offsetAt, static_cast<unsigned>(w.size() - offsetAt));
        for (size_t i = 0; i < actions.size(); ++i) {
            const Bytes& code = actions[i].action->code;
            if (!actions[i].action->error.empty()) Throw(actions[i].action->error);
            bool last = i + 1 == actions.size();
            size_t size = 4 + code.size();
            if (!last && size > 0xFFFF) Throw("a button action is too long for the format");
            w.U16(last ? 0 : static_cast<unsigned>(size));
            w.U16(static_cast<unsigned>(actions[i].flags) & 0xFFFF);
            w.Append(code);
        }
    }
    e.Tag(tag::DefineButton2, w.bytes());
}

SWFButton newSWFButton(void) {
    return Guard<SWFButton>(nullptr, [] { return new SWFButton_s; });
}

void destroySWFButton(SWFButton button) {
    if (button) Release(button);
}

void SWFButton_addCharacter(SWFButton button, SWFCharacter character, byte flags) {
    if (!button) return;
    Guard(0, [&] {
        if (!character) {
            Fail(button->error, Missing("part for the button"));
        } else if (!character->error.empty()) {
            Fail(button->error, character->error);
        } else if (!character->IsCharacter()) {
            Fail(button->error, "a button part must be a shape, text, sprite or button");
        } else if (Holds(character, button)) {
            Fail(button->error, "a sprite or button cannot contain itself");
        } else {
            button->parts.push_back({Ref<SWFBlock_s>(character), flags});
        }
        return 0;
    });
}

void SWFButton_addAction(SWFButton button, SWFAction action, int flags) {
    if (!button) return;
    Guard(0, [&] {
        if (!action) {
            Fail(button->error, Missing("action for the button"));
        } else if (!action->error.empty()) {
            Fail(button->error, action->error);
        } else {
            button->actions.push_back({Ref<SWFAction_s>(action), flags});
        }
        return 0;
    });
}
