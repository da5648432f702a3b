#include "CompiledNotations.h"

#include "framework/notations/QntNotationCompiler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QTemporaryDir *CompiledNotationsTest::s_dir = nullptr;

QString notationSourceFolder()
{
    return QDir::cleanPath(QStringLiteral(QNT_TEST_DATA_DIR "/../../resources/notations"));
}

void CompiledNotationsTest::SetUpTestSuite()
{
    s_dir = new QTemporaryDir;
    const auto written = QntNotationCompiler::compileAll(notationSourceFolder(), s_dir->path());
    ASSERT_TRUE(written.ok()) << written.errorMessage().toStdString();
}

void CompiledNotationsTest::TearDownTestSuite()
{
    delete s_dir;
    s_dir = nullptr;
}

QString CompiledNotationsTest::compiledPath(const QString &file)
{
    return s_dir->filePath(file);
}

QString CompiledNotationsTest::copyOf(const QString &file, const QString &target)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(compiledPath(file), target));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

QString CompiledNotationsTest::copyOf(const QString &file)
{
    return copyOf(file, m_dir.filePath(QFileInfo(file).fileName()));
}
