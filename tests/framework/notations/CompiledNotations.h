#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The shipped notation sources (resources/notations).
QString notationSourceFolder();

// Tests of the shipped notations, compiled once for each suite into a temporary folder; each
// test works on private writable copies.
class CompiledNotationsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    // The compiled notation (a path relative to the compiled folder, as "FlowChart/FlowChart.db").
    static QString compiledPath(const QString &file);
    // A writable copy of a compiled notation at target, or in this test's own folder.
    QString copyOf(const QString &file, const QString &target);
    QString copyOf(const QString &file);

    QTemporaryDir m_dir;

private:
    static QTemporaryDir *s_dir;
};
