// The libqpdf floor: the least a program on libqpdf does to write each embedded file of the
// given documents (name tree only) to OUT/<document number>-<key>. No checks, no safe names, no
// temporary file: the speed the library itself allows. With --md5 it also computes each file's
// MD5 on the way, the work a program that verifies /Params /CheckSum cannot avoid.
// usage: qpdf-floor [--md5] OUT FILE.pdf...

#include <cstdio>
#include <memory>
#include <qpdf/Pl_StdioFile.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <string>

// Passes the data on, hashing it when enabled.
class Md5Stage : public Pipeline {
public:
    Md5Stage(Pipeline *next, bool enabled)
        : Pipeline("md5", next)
    {
        if (enabled) {
            m_md5 = QPDFCryptoProvider::getImpl();
            m_md5->MD5_init();
        }
    }
    void write(unsigned char const *data, size_t len) override
    {
        if (m_md5)
            m_md5->MD5_update(data, len);
        getNext()->write(data, len);
    }
    void finish() override
    {
        getNext()->finish();
    }

private:
    std::shared_ptr<QPDFCryptoImpl> m_md5;
};

int main(int argc, char **argv)
{
    int first = 1;
    const bool md5 = argc > 1 && std::string(argv[1]) == "--md5";
    if (md5)
        ++first;
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: qpdf-floor [--md5] OUT FILE.pdf...\n");
        return 2;
    }
    const std::string out = argv[first];
    for (int i = first + 1; i < argc; ++i) {
        QPDF pdf;
        pdf.processFile(argv[i]);
        QPDFEmbeddedFileDocumentHelper embedded(pdf);
        for (const auto &[key, spec] : embedded.getEmbeddedFiles()) {
            const std::string target = out + "/" + std::to_string(i - first) + "-" + key;
            FILE *file = std::fopen(target.c_str(), "wb");
            if (file == nullptr)
                return 1;
            Pl_StdioFile sink("floor", file);
            Md5Stage hash(&sink, md5);
            spec->getEmbeddedFileStream().pipeStreamData(&hash, 0, qpdf_dl_all);
            std::fclose(file);
        }
    }
    return 0;
}
