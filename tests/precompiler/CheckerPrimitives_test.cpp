// The checker refuses a type that uses a primitive the model file declares under a name of its
// own: the generators know only the built-in primitives.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

Expect declared(int kind, const QString& name, const QString& primitive) {
    return {"CheckDeclaredPrimitives", kind, name, 44, {primitive}};
}

// The model declares the primitives Speed (Float64) and Letter (Char32), and Int32 under its
// built-in name; the row adds the types that use them.
Build uses(const std::function<void(Records&)>& add) {
    return [add](Model& m) {
        Records own = m.own();
        own.primitive("Speed", "Float64").primitive("Letter", "Char32").primitive("Int32", "Int32");
        add(own);
    };
}

TEST(CheckerPrimitivesTest, EveryUseOfADeclaredPrimitiveIsRefused) {
    checkRows({
        {"declared, never used", uses([](Records&) {}), PASSES},
        {"declared under a built-in name",
         uses([](Records& r) { r.structure("Point", {member("x", "Int32")}); }), PASSES},
        {"structure member", uses([](Records& r) {
             r.structure("Point", {member("x", "Int32"), member("speed", "Speed")});
         }),
         declared(22, "Point", "Speed")},
        {"alias", uses([](Records& r) { r.alias("Fast", "Speed"); }),
         declared(20, "Fast", "Speed")},
        {"array element", uses([](Records& r) { r.array("Speeds", "Speed"); }),
         declared(17, "Speeds", "Speed")},
        {"sequence element", uses([](Records& r) { r.sequence("Speeds", "Speed"); }),
         declared(16, "Speeds", "Speed")},
        {"map element", uses([](Records& r) { r.map("Table", "Speed", "Int32"); }),
         declared(15, "Table", "Speed")},
        {"union case", uses([](Records& r) {
             r.unionType("Value", "Int32", {{"1", caseMember("value", "Speed", true)}});
         }),
         declared(21, "Value", "Speed")},
    });
}

}  // namespace
