// Plumbing shared by the condition scanner, the parser and the driver; not
// for use outside the condition language.
#ifndef TDR_LANG_INTERNAL_H
#define TDR_LANG_INTERNAL_H

// The scanner's own translation unit has the class already.
#ifndef yyFlexLexerOnce
#undef yyFlexLexer
#define yyFlexLexer tdr_lang_lexer_yyFlexLexer
#include <FlexLexer.h>
#endif

#include "tdr_lang.h"
#include "tdr_lang_parser.h"

// Scans the next token into `value`; 0 at the end of the input. A scanner
// fault is returned as TOKEN_SCANNER_FAULT, which no rule accepts.
int tdr_lang_lexer_next_token(tdr_lang_lexer_yyFlexLexer* scanner,
                              TDR_LANG_PARSER_YYSTYPE* value);
// Text of the last token: the collected name for names, the matched text for
// other tokens, "" at the end of the input.
const char* tdr_lang_lexer_token_text();
// The scanner's fault message since the last reset, or null.
const char* tdr_lang_lexer_fault();
// Forgets the last token and fault and releases the quoted-name buffer.
void tdr_lang_lexer_reset();

// Reports the syntax error at the last token (its message argument is ignored).
void tdr_yyerror(tdr_lang_lexer_yyFlexLexer* scanner, const char* message);

// Clause actions; they free nothing.
void tdr_lang_apply_condition(TDR_LANG_TARGET* target, const char* name,
                              TDR_DATA_TRIGGER_CONDITION condition);
void tdr_lang_apply_symbol(TDR_LANG_TARGET* target, const char* name, const char* symbol);
void tdr_lang_apply_value(TDR_LANG_TARGET* target, const char* name, long value);

#endif
