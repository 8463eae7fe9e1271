#!/usr/bin/perl
# A small form: GET shows it, POST greets whoever filled it in.
use strict;
use warnings;
use CGI;

my $q = CGI->new;
my $name = $q->param('name') // '';

print $q->header(-type => 'text/html', -charset => 'utf-8');
print "<html>\n<head>\n<title>Guest book</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n</head>\n<body>\n";
print "<h1>Guest book</h1>\n";
if ($name ne '') {
    print '<p class="greeting">Hello, ', $q->escapeHTML($name), "! Thanks for signing.</p>\n";
}
print <<'FORM';
<form method="post" action="/cgi-bin/form.pl">
<p><label>Your name <input name="name"></label> <input type="submit" value="Sign"></p>
</form>
<p><a href="/">Back to the home page</a></p>
</body>
</html>
FORM
