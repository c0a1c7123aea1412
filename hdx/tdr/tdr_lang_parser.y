/* Condition grammar: a conjunction of clauses applied to a trigger level. */
%code top {
#define TDR_SOURCE_FILE "tdr_lang_parser"
// The clause list is left-recursive, so ordinary texts stay a few entries deep.
#define YYMAXDEPTH 20000
}

%code requires {
#include "tdr_data_global_enum.h"
class tdr_lang_lexer_yyFlexLexer;
class TDR_LANG_TARGET;
}

%code {
#include "tdr_lang_internal.h"

static int tdr_lang_parser_yylex(TDR_LANG_PARSER_YYSTYPE* value,
                                 tdr_lang_lexer_yyFlexLexer* scanner) {
  return tdr_lang_lexer_next_token(scanner, value);
}

static void tdr_lang_parser_yyerror(tdr_lang_lexer_yyFlexLexer* scanner, TDR_LANG_TARGET*,
                                    const char* message) {
  tdr_yyerror(scanner, message);
}
}

%require "3.2"
%define api.prefix {tdr_lang_parser_yy}
%define api.pure full
%parse-param {tdr_lang_lexer_yyFlexLexer* scanner} {TDR_LANG_TARGET* target}
%lex-param {tdr_lang_lexer_yyFlexLexer* scanner}

%union {
  char* str;
  long number;
  TDR_DATA_TRIGGER_CONDITION condition;
}

%token TOKEN_DISABLE TOKEN_ACTIVE TOKEN_HIGH TOKEN_LOW TOKEN_AND TOKEN_EQUAL
%token TOKEN_RISING TOKEN_FALLING TOKEN_EITHER TOKEN_EDGE TOKEN_DONT_CARE
%token <str> TOKEN_NAME TOKEN_HEX_NUMBER TOKEN_OCT_NUMBER TOKEN_BIN_NUMBER
%token <number> TOKEN_DEC_NUMBER
/* Never accepted: stops the parse when the scanner fails. */
%token TOKEN_SCANNER_FAULT

%type <str> signal_name symbol_name
%type <number> number_value
%type <condition> level_value

%destructor { delete[] $$; } <str>

%start condition_text

%%

condition_text
  : clause_list
  | %empty
  ;

clause_list
  : clause
  | clause_list TOKEN_AND clause
  ;

clause
  : signal_name TOKEN_EQUAL level_value {
      tdr_lang_apply_condition(target, $1, $3);
      delete[] $1;
    }
  | signal_name TOKEN_EQUAL symbol_name {
      tdr_lang_apply_symbol(target, $1, $3);
      delete[] $1;
      delete[] $3;
    }
  | signal_name TOKEN_EQUAL number_value {
      tdr_lang_apply_value(target, $1, $3);
      delete[] $1;
    }
  ;

level_value
  : TOKEN_HIGH                { $$ = TDR_CTYPE_HIGH_COND; }
  | TOKEN_LOW                 { $$ = TDR_CTYPE_LOW_COND; }
  | TOKEN_RISING TOKEN_EDGE   { $$ = TDR_CTYPE_RISING_EDGE_COND; }
  | TOKEN_FALLING TOKEN_EDGE  { $$ = TDR_CTYPE_FALLING_EDGE_COND; }
  | TOKEN_EITHER TOKEN_EDGE   { $$ = TDR_CTYPE_EITHER_EDGE_COND; }
  | TOKEN_DONT_CARE           { $$ = TDR_CTYPE_DONT_CARE_COND; }
  ;

signal_name
  : TOKEN_NAME  { $$ = $1; }
  ;

symbol_name
  : TOKEN_NAME  { $$ = $1; }
  ;

number_value
  : TOKEN_DEC_NUMBER  { $$ = $1; }
  | TOKEN_HEX_NUMBER  { $$ = tdr_lang_digits_value($1, 16, 8); delete[] $1; }
  | TOKEN_OCT_NUMBER  { $$ = tdr_lang_digits_value($1, 8, 11); delete[] $1; }
  | TOKEN_BIN_NUMBER  { $$ = tdr_lang_digits_value($1, 2, 32); delete[] $1; }
  ;

%%
