// The document model on its own: outside bytes that are not a document, and paragraphs held
// after they left the body.
#include <gtest/gtest.h>

#include "automation/com_error.h"
#include "platform/wordproc/document.h"

namespace {

using tlx::docx::Document;

TEST(WordDocument, BytesThatAreNoDocumentAreRefused) {
  EXPECT_THROW(tlx::docx::readDocumentBytes("not a zip at all"), tlx::opc::PackageError);
  EXPECT_THROW(tlx::docx::readDocumentBytes(""), tlx::opc::PackageError);
  // A sound package without a main document part.
  tlx::opc::Package p;
  p.write("hello.txt", "hi");
  std::string file = testing::TempDir() + "/nodoc.zip";
  p.save(file);
  EXPECT_THROW(Document::load(tlx::opc::Package::open(file)), tlx::opc::PackageError);
}

TEST(WordDocument, SavedDocumentReadsBack) {
  auto d = Document::create();
  auto p = d->appendParagraph();
  d->setText(p, u"a\tb");
  d->setAlignment(p, 2);
  std::string file = testing::TempDir() + "/model.docx";
  d->save(file);
  auto back = Document::load(tlx::opc::Package::open(file));
  auto paras = back->paragraphs();
  ASSERT_EQ(paras.size(), 2u);
  EXPECT_EQ(back->text(paras[1]), u"a\tb");
  EXPECT_EQ(back->alignment(paras[1]), 2);
}

TEST(WordDocument, ParagraphsTurnedIntoATableFailWhenUsedAgain) {
  auto d = Document::create();
  auto rows = d->insertAtEnd(u"a\tb\r\nc\td\r\n");
  ASSERT_EQ(rows.size(), 2u);
  auto [r, c] = d->convertToTable(rows, {});
  EXPECT_EQ(r, 2);
  EXPECT_EQ(c, 2);
  EXPECT_THROW(d->text(rows[0]), tlx::ComError);
  EXPECT_THROW(d->setBold(rows[1], true), tlx::ComError);
  EXPECT_THROW(d->convertToTable(rows, {}), tlx::ComError);
  EXPECT_EQ(d->tableCount(), 1);
  tlx::docx::TableRequest bad;
  bad.format = 43;
  EXPECT_THROW(d->convertToTable(d->insertAtEnd(u"x\r\n"), bad), tlx::ComError);
}

}  // namespace
