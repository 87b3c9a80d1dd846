// Compiled against the installed headers only (no private include path) and linked with
// libvexa64 and libtrellis, as an application compiles the code tessgen writes. The union
// below is written the way the generator writes one.
#include <gtest/gtest.h>

#include <vexa/core/Exception.hpp>
#include <cstdint>
#include <string>

// clang-format off
namespace Sensors {

class Shape {
public:
    Shape() : m_d(0), m_d_set(false) {}

    /**
     * @brief Методы доступа к дискриминанту
     */
    inline int32_t _d() const {
        return m_d;
    }
    inline int32_t& _d() {
        return m_d;
    }
    /**
     * @brief Методы доступа к атрибутам объединения
     */
    inline void radius(double value) {
        m_Shape.m_radius = value;
        m_d = 1;
        m_d_set = true;;
    }
    inline double radius() const {
        if (!m_d_set) {
            std::string error("Объединение не установлено ");
            error = error + "Shape";
            throw dds::core::InvalidArgumentError(error);
        }
        if (m_d !=1) {
            std::string error("Выбранный атрибут в объединении не активен ");
            error = error + "Shape.m_Shape.radius";
            throw dds::core::InvalidArgumentError(error);
        }
        return m_Shape.m_radius;
    }
    inline void side(int32_t value) {
        m_Shape.m_side = value;
        m_d = 2;
        m_d_set = true;;
    }

private:
    int32_t m_d;
    bool m_d_set;
    union {
        double m_radius;
        int32_t m_side;
    } m_Shape;
};

}  // namespace Sensors
// clang-format on

namespace {

TEST(GeneratedCode, UnionAccessorsThrowTheLibrarysInvalidArgumentError) {
    Sensors::Shape s;
    try {
        (void)s.radius();
        FAIL() << "an unset union was read";
    } catch (dds::core::InvalidArgumentError const& e) {
        EXPECT_EQ(std::string(e.what()), "Объединение не установлено Shape");
    }
    s.side(4);
    try {
        (void)s.radius();
        FAIL() << "an inactive case was read";
    } catch (std::invalid_argument const& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Выбранный атрибут в объединении не активен Shape.m_Shape.radius");
    }
    s.radius(2.5);
    EXPECT_DOUBLE_EQ(s.radius(), 2.5);
}

// The mapping of core codes lives in the library and is reachable from application code.
TEST(GeneratedCode, LibraryMapsCodesToTheSameClasses) {
    EXPECT_THROW(vexa::core::code2exception(vexa::dds::RETCODE_BAD_PARAMETER, "x"),
                 dds::core::InvalidArgumentError);
    EXPECT_NO_THROW(vexa::core::code2exception(vexa::dds::RETCODE_NO_DATA, "x"));
}

}  // namespace
