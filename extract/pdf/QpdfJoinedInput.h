#pragma once

#include <memory>
#include <qpdf/InputSource.hh>
#include <string>
#include <string_view>

namespace quenlith {

// What qpdf reads of a recovered document: the bytes that remain of it, left where they are (in
// memory or mapped from the file), followed by the tail that recovery appended. Only the tail is
// copied, so that recovering a large document costs no memory of its size.
class QpdfJoinedInput : public InputSource {
public:
    // `head` must stay valid while the source lives unless `owner` keeps it so.
    QpdfJoinedInput(std::string name,
        std::string_view head,
        std::string tail,
        std::shared_ptr<void> owner = {});

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const &getName() const override;
    qpdf_offset_t tell() override;
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override;
    size_t read(char *into, size_t length) override;
    void unreadCh(char ch) override;

private:
    char at(std::size_t position) const;
    std::size_t size() const;

    std::string m_name;
    std::string_view m_head;
    std::string m_tail;
    std::shared_ptr<void> m_owner;
    std::size_t m_position = 0;
};

} // namespace quenlith
