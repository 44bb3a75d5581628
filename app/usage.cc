#include "app/usage.h"

#include <string_view>

#include "app/print.h"

namespace {

// Each piece is a format string: "%%" prints one "%".
constexpr std::u16string_view kUsagePieces[] = {
    u"Experimental text analyzer tool for language and character encoding detection.\n",
    u"Ported to Linux by the kestoanalyzer developers.\n",
    u"Usage: kestoanalyzer.exe [/collect | /analyze] [options]\n\n",
    u"GENERATION\n\n",
    u"/collect <file>\t\tCollecting statistical data from given text file.\n",
    u"/language <language>\tISO 3 letter language code. Default is ENG.\n",
    u"/charset <code>\t\tCharacter set of the text file. Default is iso-8859-15.\n",
    u"/threshold <percent>\tThrow threshold for statistics. Default is 0.003%%.\n",
    u"/ignore <file>\t\tFile that contains characters to be ignored.\n",
    u"\nANALYZATION\n\n",
    u"/detect <file>\t\tAnalyzes the given text file. Detecting possible languages and character "
    u"sets.\n",
    u"/weights <w1,w2,w3>\tWeight factors for char sequences. Default is 1,50,100.\n",
    u"\n",
    u"Examples:\n\n",
    u"Following command will build stats file by analyzing \"german.txt\", settings language to "
    u"\"german\" with iso-8859-1 character encoding.\n\n",
    u"kestoanalyzer /collect german.txt /charset iso-8859-1 /language deu\n\n",
    u"Following command tries to detect language and charset of the given text file.\n\n",
    u"kestoanalyzer /detect blabla.txt\n",
};

}  // namespace

void PrintUsage() {
  for (const std::u16string_view piece : kUsagePieces) {
    Print(piece);
  }
}
